#include "Application.h"
#include "Program.h"

int main(int argc, char **argv)
{
    welarik::Application application(argc, argv);
    welarik::Program program;
    return program.run();
}
