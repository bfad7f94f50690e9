#include "cli/front_end.hpp"

int main(int argc, char** argv) { return darvex::run_front_end(argc, argv); }
