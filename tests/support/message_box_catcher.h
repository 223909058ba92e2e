// Captures the message boxes that code under test shows: a background thread
// looks for them, records caption and text, and presses OK, so no test ever
// waits for a person. The test main starts it for every test executable; a box
// that no test takes fails the run.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct CapturedBox {
    std::wstring caption;
    std::wstring text;
};

void StartMessageBoxCatcher();
void StopMessageBoxCatcher();

// Also catch the boxes of another process (a program under test).
void CatchBoxesOfProcess(unsigned long processId);

// While held, boxes are captured but left open (their threads stay blocked
// in them) until released: a test can hold code inside a call that shows one.
void HoldMessageBoxes();
void ReleaseMessageBoxes();

// The boxes captured so far, oldest first; the record is emptied.
std::vector<CapturedBox> TakeCapturedBoxes();

// Waits until at least count boxes have been captured (and not yet taken), for
// at most timeoutMs. Returns whether they were.
bool WaitForCapturedBoxes(size_t count, unsigned timeoutMs);
