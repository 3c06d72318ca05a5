// Scope guards for drawing: an open drawing surface, a GDI object the code
// made, and an object selected into a context for a while. Declared in that
// order they unwind correctly: the selection is undone before its object is
// deleted, and both before the surface closes.
#pragma once

#include <windows.h>

#include <utility>

#include "image/drawing_surface.h"

// An open drawing surface, closed without keeping its picture unless Take
// closed it first.
class SurfaceGuard {
public:
    SurfaceGuard() = default;
    SurfaceGuard(const SurfaceGuard&) = delete;
    SurfaceGuard& operator=(const SurfaceGuard&) = delete;
    ~SurfaceGuard() {
        if (open_) CloseDrawingSurface(&surface_, 0);
    }

    bool Open(LONG width, LONG height) {
        open_ = OpenDrawingSurface(width, height, &surface_) == 1;
        return open_;
    }
    // Closes the surface keeping its picture, which the caller then owns.
    HGLOBAL Take() {
        if (!open_) return nullptr;
        open_ = false;
        CloseDrawingSurface(&surface_, 1);
        return std::exchange(surface_.image, nullptr);
    }

    HDC dc() const { return surface_.memoryContext; }
    DrawingSurface& get() { return surface_; }

private:
    DrawingSurface surface_;
    bool open_ = false;
};

// A pen, brush or other object this code created; deleted at scope end.
class GdiObject {
public:
    explicit GdiObject(HGDIOBJ object) : object_(object) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() {
        if (object_) DeleteObject(object_);
    }
    HGDIOBJ get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    HGDIOBJ object_;
};

// Selects an object into a context and puts the previous one back at scope end.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    explicit operator bool() const { return previous_ != nullptr; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};
