#include "shell/SuiteHandler.h"

namespace quorvel {

void RaiseMissingSuite() {
    throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
}

SuiteHandler::SuiteHandler(SPBasicSuite* basic) : basic_(basic) {
    // A basic suite without its two entries is as unusable as none at all.
    if (basic_ == nullptr || basic_->AcquireSuite == nullptr || basic_->ReleaseSuite == nullptr) {
        RaiseMissingSuite();
    }
}

SuiteHandler::~SuiteHandler() {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i] != nullptr) {
            basic_->ReleaseSuite(kSuiteCatalogue[i].name, kSuiteCatalogue[i].version);
            slots_[i] = nullptr;
        }
    }
}

const void* SuiteHandler::Acquire(SuiteId id) {
    const auto index = std::size_t(id);
    if (slots_[index] != nullptr) return slots_[index];
    const void* suite = nullptr;
    const SPErr err = basic_->AcquireSuite(kSuiteCatalogue[index].name, kSuiteCatalogue[index].version, &suite);
    if (err != kSPNoError || suite == nullptr) RaiseMissingSuite();
    slots_[index] = suite;
    return suite;
}

}  // namespace quorvel
