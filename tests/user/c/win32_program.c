/* A plain Win32 program in C: it builds against the platform's headers as it
 * would against Windows' own, and the test suite runs it. It opens a window
 * with an edit field and an up-down control, uses dialog-item helpers, a
 * popup menu, the shell and file dialogs, and ends from a timer through
 * WM_CLOSE, WM_DESTROY and PostQuitMessage. */
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#define ID_FIELD 100
#define ID_SPIN 101

static int spinSeen = 0;

static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        SetTimer(hwnd, 1, 50, NULL);
        return 0;
    case WM_VSCROLL:
        if (LOWORD(wParam) == SB_THUMBPOSITION) spinSeen = HIWORD(wParam);
        return 0;
    case WM_TIMER:
        KillTimer(hwnd, 1);
        PostMessage(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(7);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

int luma_c_program_main(void) {
    INITCOMMONCONTROLSEX icc;
    WNDCLASS wc;
    HWND hwnd, field, spin;
    HMENU menu;
    MSG msg;
    POINT point;
    char text[MAX_PATH];
    OPENFILENAME ofn;
    BOOL translated;
    int result;

    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES;
    if (!InitCommonControlsEx(&icc)) return -1;

    ZeroMemory(&wc, sizeof wc);
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandle(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = "PlainCProgram";
    if (!RegisterClass(&wc)) return -2;

    hwnd = CreateWindowEx(0, "PlainCProgram", "Plain C", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                          CW_USEDEFAULT, 300, 200, NULL, NULL, wc.hInstance, NULL);
    if (!hwnd) return -3;
    field = CreateWindowEx(WS_EX_CLIENTEDGE, "EDIT", "5", WS_CHILD | WS_VISIBLE | ES_NUMBER, 10, 10, 80, 20, hwnd,
                           (HMENU)(INT_PTR)ID_FIELD, wc.hInstance, NULL);
    spin = CreateWindow(UPDOWN_CLASS, "", WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY,
                        0, 0, 16, 20, hwnd, (HMENU)(INT_PTR)ID_SPIN, wc.hInstance, NULL);
    if (!field || !spin || !IsWindow(spin)) return -4;
    SendMessage(spin, UDM_SETRANGE32, 0, 10);
    SendMessage(spin, UDM_SETPOS32, 0, 9);
    if (GetDlgItemInt(hwnd, ID_FIELD, &translated, FALSE) != 9 || !translated) return -5;
    SetDlgItemInt(hwnd, ID_FIELD, 3, FALSE);
    if (GetClassName(spin, text, sizeof text) == 0) return -6;

    point.x = 0;
    point.y = 0;
    MapWindowPoints(field, hwnd, &point, 1);
    if (point.x != 12 || point.y != 12) return -7;

    menu = CreatePopupMenu();
    AppendMenu(menu, MF_STRING, 1, "One");
    if (TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, hwnd, NULL) != 0) return -8;
    DestroyMenu(menu);

    SHGetSpecialFolderPath(hwnd, text, CSIDL_PERSONAL, FALSE);
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd;
    text[0] = '\0';
    ofn.lpstrFile = text;
    ofn.nMaxFile = sizeof text;
    ofn.lpstrFilter = "All files\0*.*\0\0";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileName(&ofn) || CommDlgExtendedError() != 0) return -9;

    SetCursor(LoadCursor(NULL, IDC_WAIT));
    if (GetKeyState(VK_SHIFT) < 0) return -10;
    InvalidateRect(hwnd, NULL, TRUE);
    UpdateWindow(hwnd);

    while (GetMessage(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    result = (int)msg.wParam;
    if (IsWindow(hwnd)) return -11;
    if (!UnregisterClass("PlainCProgram", wc.hInstance)) return -12;
    return result;
}
