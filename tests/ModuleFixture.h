// Shared by the tests that drive the built module through the simulated host.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "modulefiles/ModuleFile.h"
#include "simhost/Host.h"

namespace quorvel::test {

/// The module under test, loaded once per test program.
inline const modulefiles::LoadedModule& Module() {
    static const modulefiles::LoadedModule module(QUORVEL_MODULE_PATH);
    return module;
}

/// A host over the module under test that fails the test if, by the time it
/// dies, the module left a suite unreleased, released one twice, or leaked or
/// double-released a drawing object.
class CheckedHost : public sim::Host {
public:
    explicit CheckedHost(sim::HostApp app = sim::HostApp::AfterEffects, int threads = 1)
        : sim::Host(Module().entry(), MakeOptions(app, threads)) {}
    ~CheckedHost() {
        for (const std::string& problem : problems()) ADD_FAILURE() << "host check: " << problem;
    }

    static Options MakeOptions(sim::HostApp app, int threads) {
        Options o;
        o.app = app;
        o.threads = threads;
        return o;
    }
};

}  // namespace quorvel::test
