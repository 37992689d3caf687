// talvo: adds bar-code check characters to one column of a comma-separated file.
#include "driver/run.h"

int main(int argc, char** argv) { return talvo::driver::Main(argc, argv); }
