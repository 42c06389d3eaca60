#include "platform/com/FailurePlan.h"

void TFailurePlan::Fail(const std::string& Call, HRESULT Code, int Skip, int Times) {
    std::lock_guard<std::mutex> g(Lock);
    Rules.push_back({Call, Code, Skip, Times});
}

void TFailurePlan::Clear() {
    std::lock_guard<std::mutex> g(Lock);
    Rules.clear();
    Counts.clear();
}

HRESULT TFailurePlan::Check(const std::string& Call) {
    std::lock_guard<std::mutex> g(Lock);
    bool counted = false;
    for (auto& c : Counts)
        if (c.first == Call) {
            ++c.second;
            counted = true;
        }
    if (!counted)
        Counts.emplace_back(Call, 1);
    for (auto& r : Rules) {
        if (r.Call != Call || r.Times == 0)
            continue;
        if (r.Skip > 0) {
            --r.Skip;
            continue;
        }
        if (r.Times > 0)
            --r.Times;
        return r.Code;
    }
    return S_OK;
}

int TFailurePlan::Calls(const std::string& Call) const {
    std::lock_guard<std::mutex> g(Lock);
    for (const auto& c : Counts)
        if (c.first == Call)
            return c.second;
    return 0;
}
