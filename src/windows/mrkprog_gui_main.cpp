// mrkprog-gui: the program the operator sees.
#include "windows/GuiMain.h"

int main(int argc, char** argv) { return mrk::gui::GuiMain(argc, argv, MRK_VERSION); }
