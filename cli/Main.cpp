// harvex, the Linux program: copies and checks cards from the command line through the same jobs
// and reports as the dialog of harvex.exe.
#include "cli/Commands.h"

int main(int argc, char** argv) {
    return Dispatch(argc, argv);
}
