/// Owning wrappers for the host's pens and paths; a failure in making or
/// releasing one is raised as DRAWBOT_Exception.
#pragma once

#include <exception>

#include "host/PF_Host.h"
#include "shell/DrawbotException.h"

namespace quorvel {

/// Holds at most one host object and releases it exactly once, through the
/// supplier suite it came from.
///
/// A failed release raises DRAWBOT_Exception, except while another exception
/// is already unwinding through the owner: then the failure is dropped rather
/// than terminating the host process.
template <typename Ref>
class SharedRefImpl {
public:
    virtual ~SharedRefImpl() noexcept(false) {
        if (ref_ == nullptr) return;
        const PF_Err err = suite_->ReleaseObject(reinterpret_cast<DRAWBOT_ObjectRef>(ref_));
        if (err != PF_Err_NONE) {
            if (std::uncaught_exceptions() > uncaught_at_birth_) return;
            throw DRAWBOT_Exception(err);
        }
        ref_ = nullptr;
    }

    SharedRefImpl(const SharedRefImpl&) = delete;
    SharedRefImpl& operator=(const SharedRefImpl&) = delete;

    Ref Get() const { return ref_; }

    /// Takes `fresh`, a newly made object, releasing the one held before. If
    /// that release fails, `fresh` is released too (nobody else could) and
    /// the failure is raised with the old object still held.
    void Reset(Ref fresh) {
        if (fresh == ref_) return;
        if (ref_ != nullptr) {
            const PF_Err err = suite_->ReleaseObject(reinterpret_cast<DRAWBOT_ObjectRef>(ref_));
            if (err != PF_Err_NONE) {
                if (fresh != nullptr) suite_->ReleaseObject(reinterpret_cast<DRAWBOT_ObjectRef>(fresh));
                throw DRAWBOT_Exception(err);
            }
        }
        ref_ = fresh;
    }

protected:
    explicit SharedRefImpl(const DRAWBOT_SupplierSuite1* suite) : suite_(suite) {}

    Ref* Place() { return &ref_; }

    /// For a failed construction: whatever the host left in the place is not ours.
    void Abandon(PF_Err err) {
        ref_ = nullptr;
        throw DRAWBOT_Exception(err);
    }

private:
    Ref ref_ = nullptr;
    const DRAWBOT_SupplierSuite1* suite_;
    int uncaught_at_birth_ = std::uncaught_exceptions();
};

class DRAWBOT_PenP : public SharedRefImpl<DRAWBOT_PenRef> {
public:
    DRAWBOT_PenP(const DRAWBOT_SupplierSuite1* suite, DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color,
                 float width)
        : SharedRefImpl(suite) {
        if (const PF_Err err = suite->NewPen(supplier, color, width, Place())) Abandon(err);
    }
};

class DRAWBOT_PathP : public SharedRefImpl<DRAWBOT_PathRef> {
public:
    DRAWBOT_PathP(const DRAWBOT_SupplierSuite1* suite, DRAWBOT_SupplierRef supplier) : SharedRefImpl(suite) {
        if (const PF_Err err = suite->NewPath(supplier, Place())) Abandon(err);
    }
};

}  // namespace quorvel
