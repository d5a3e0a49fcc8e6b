// Waits a minute: a process for the solution runner to end.
#include <windows.h>

int main() {
    Sleep(60000);
    return 0;
}
