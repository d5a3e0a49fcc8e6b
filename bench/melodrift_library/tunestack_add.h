#pragma once

#include <string>

struct TunestackAddTimes {
    double seconds = 0;          // the bus message "addfolder" until the status says the files were added
    double longestWaitMs = 0;    // the longest a message posted to the window waited to be handled, during the add
                                 // and for half a second after (while the library's files are written behind it)
    double longestAtSeconds = 0; // when that message was handled, from the start of the add
    double longestStepMs = 0;    // the longest the module's window took over one message of its own
    unsigned longestStepMessage = 0;
    int posted = 0;              // messages posted during the add
    bool progressShown = false;  // the progress bar and Cancel were shown during the add
    int rows = 0;                // rows of "All tracks" afterwards
};

// Tunestack.dll (at `module`) in the modules' test host adds `folder`, with a
// library of its own that is removed afterwards; a thread posts the window a
// message every 10 ms meanwhile.
bool MeasureTunestackAdd(const std::wstring& module, const std::wstring& folder, TunestackAddTimes& times);
