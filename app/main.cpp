// Entry point of the editor. The window system and the application frame are
// not built yet; until they are, the program says so and exits.
#include <cstdio>

int main()
{
    std::fputs("zorvex: the editor window is not built yet; only the libraries and tests exist.\n", stderr);
    return 1;
}
