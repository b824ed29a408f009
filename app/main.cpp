#include <iostream>

#include "app/runDriver.h"

int main(int argc, char** argv) { return kalvex::runKalvex(argc, argv, std::cout); }
