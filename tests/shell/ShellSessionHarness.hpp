#pragma once
// The session harness (a store on a virtual clock and a scripted bridge) for the shell's tests.
// Qt's `emit` keyword would erase the fakes' method of that name, so it goes here; the files
// that include this are compiled on their own (not batched with the others) for that reason.

#include <QObject>

#undef emit
#include "../session/SessionHarness.hpp"
