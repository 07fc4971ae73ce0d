#include "app/lifecycle.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    app::RunProgram();
}
