#include "app/Program.h"

int main(int argc, char** argv) { return kavro::app::RunProgram(argc, argv); }
