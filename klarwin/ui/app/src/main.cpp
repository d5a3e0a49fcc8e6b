// Klarwin's entry point.
#include "klarwin/ui/brisko_app.h"

CBriskoApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
    return RunApplication(instance, commandLine, show);
}
