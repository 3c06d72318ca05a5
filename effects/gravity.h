// Gravity's balls and their motion, for the tests that follow a ball.
#pragma once

#include <windows.h>

struct GravityBall {
    float x, y;    // centre
    float vx, vy;  // pixels per frame, negative vy upwards
    float terminalSpeed, gravity, damping, radius;
    int wait;  // frames before it starts to move
    int size;
    int shadowOpacity;
    COLORREF colour;
    int colourIndex;  // its sprite among the build's sprites
};

// One frame of a ball's motion over a picture height pixels high: waiting,
// or falling and bouncing on the bottom edge.
void MoveBall(GravityBall& ball, int height);
