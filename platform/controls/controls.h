// The standard control classes: window procedures and painting.
#pragma once

#include <windows.h>

namespace luma::controls {

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK UpDownProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Each control's painting of its client area into dc; action is ODA_*.
void PaintButton(HWND hwnd, HDC dc, UINT action);
void PaintEdit(HWND hwnd, HDC dc);
void PaintStatic(HWND hwnd, HDC dc);
void PaintCombo(HWND hwnd, HDC dc);
void PaintUpDown(HWND hwnd, HDC dc);

}  // namespace luma::controls
