// The demo product: a tiny program for the example setup to install, start and shortcut.
// It greets the user and ends when the message box is closed.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr,
                "Hallo! Dit demoprogramma is met Korvex Setup ge\xEFnstalleerd.\n\n"
                "Het doet verder niets: sluit dit venster om het te be\xEBindigen.",
                "Korvex Demo", MB_OK | MB_ICONINFORMATION);
    return 0;
}
