// A hook that runs inside the next fsync() of the test process: for a save,
// the moment its new file is complete and about to be checked and put in
// place.  The window tests change the world at exactly that moment.
#ifndef LYRASIL_TESTS_SYNCPOINT_H
#define LYRASIL_TESTS_SYNCPOINT_H

#include <functional>

void AtNextSync(std::function<void()> hook);

#endif
