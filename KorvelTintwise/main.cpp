#include "Gui/TintwiseStartup.h"

int main(int argc, char* argv[])
{
    return RunKorvelTintwise(argc, argv);
}
