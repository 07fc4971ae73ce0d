// What the driver's self-test and its target window agree on.
#pragma once

#include <windows.h>

inline constexpr char kTargetClass[] = "DriverTargetWindow";
inline constexpr char kTargetCaption[] = "Driver target";

inline constexpr int kClientWidth = 380;
inline constexpr int kClientHeight = 200;

inline constexpr int kIdEditName = 101;
inline constexpr int kIdEditCode = 102;
inline constexpr int kIdButtonHello = 201;
inline constexpr int kIdButtonOwnedBox = 202;
inline constexpr int kIdButtonUnownedBox = 203;
inline constexpr int kIdButtonQuit = 204;
inline constexpr int kIdStatus = 301;  // what the last action did
inline constexpr int kIdLastKey = 302; // the last key that reached the window

inline constexpr DWORD kExitEscape = 3;
inline constexpr DWORD kExitClose = 4;

// A solid square in the client area whose colour the pixel reader must see.
inline constexpr int kSwatchLeft = 300;
inline constexpr int kSwatchTop = 140;
inline constexpr int kSwatchSize = 40;
inline constexpr COLORREF kSwatchColour = RGB(200, 30, 60);
