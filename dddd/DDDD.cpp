#include "dddd/DDDD.h"

namespace dddd {

TDDDD::TDDDD(vcl::TForm* AOwner) : Owner(AOwner) {}

TDDDD::~TDDDD() = default;

void TDDDD::HookFormCreate(std::function<void()> FormCreate) {
    ++FBuildCount;
    if (FormCreate)
        FormCreate();
}

void TDDDD::InitDisplay(bool, int, int, int, int, const std::string&) {
    ++FBuildCount;
}

} // namespace dddd
