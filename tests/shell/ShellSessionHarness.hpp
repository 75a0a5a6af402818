#pragma once
// The session harness (a store on a virtual clock and a scripted bridge) for the shell's tests.
// The shell builds Qt without its keyword macros, so the fakes' emit() stays what it is.

#include "../session/SessionHarness.hpp"
