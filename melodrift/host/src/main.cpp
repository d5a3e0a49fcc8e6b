// Melodrift's entry point: the one application object and the framework's run.
#include "app.h"

COrvoFrameApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
    return RunApplication(instance, commandLine, show);
}
