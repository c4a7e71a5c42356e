// Replays every file of the given folders through the XML fuzz target; exit
// status 1 when any input breaks a property. Built with AddressSanitizer and
// UndefinedBehaviorSanitizer for the normal test run.

#include "ReplayMain.h"
#include "XmlFuzzTarget.h"

int main(int argc, char** argv)
{
    return fuzzreplay::replayFolders(argc, argv, xmlfuzz::runOne);
}
