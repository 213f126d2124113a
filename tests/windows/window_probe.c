// Lists, from inside Wine, the top-level windows carrying a title: their class, client
// size and the texts of their child controls (what a message box says). One line each:
//   window CLASS WIDTHxHEIGHT
//   text CONTROL-TEXT
// Usage: window_probe.exe TITLE. Exit status 1 when no such window exists.
#include <stdio.h>
#include <string.h>
#include <windows.h>

static BOOL CALLBACK printText(HWND child, LPARAM unused) {
    char text[512] = "";
    DWORD_PTR length = 0;
    (void)unused;
    // WM_GETTEXT is marshalled between processes; GetWindowText is not, for controls.
    if (SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000,
                            &length) &&
        length > 0)
        printf("text %s\n", text);
    return TRUE;
}

static const char* gTitle;
static int gFound;

static BOOL CALLBACK printWindow(HWND window, LPARAM unused) {
    char title[256] = "", className[128] = "";
    RECT client;
    (void)unused;
    if (!IsWindowVisible(window) || !GetWindowTextA(window, title, sizeof title) ||
        strcmp(title, gTitle) != 0)
        return TRUE;
    GetClassNameA(window, className, sizeof className);
    GetClientRect(window, &client);
    printf("window %s %ldx%ld\n", className, client.right - client.left,
           client.bottom - client.top);
    EnumChildWindows(window, printText, 0);
    gFound = 1;
    return TRUE;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: window_probe.exe TITLE\n");
        return 2;
    }
    gTitle = argv[1];
    EnumWindows(printWindow, 0);
    return gFound ? 0 : 1;
}
