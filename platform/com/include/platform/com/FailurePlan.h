#pragma once
// Lets a test make any call of a stand-in fail with a chosen result code, so that every failure
// the system reports can be provoked. Calls are named "Interface::Method" ("IDirectDraw2::
// SetDisplayMode") or by their function name ("DirectDrawCreate").

#include "platform/com/Com.h"

#include <mutex>
#include <string>
#include <vector>

class TFailurePlan {
public:
    // The call Call fails with Code, after Skip successful calls, Times times (-1: for ever).
    void Fail(const std::string& Call, HRESULT Code, int Skip = 0, int Times = 1);
    void Clear();
    // What the stand-in's call should return instead of doing its work, or S_OK to go on.
    HRESULT Check(const std::string& Call);
    // How many times Call has been checked since the last Clear (for tests that count calls).
    int Calls(const std::string& Call) const;

private:
    struct TRule {
        std::string Call;
        HRESULT Code;
        int Skip;
        int Times;
    };
    mutable std::mutex Lock;
    std::vector<TRule> Rules;
    std::vector<std::pair<std::string, int>> Counts;
};
