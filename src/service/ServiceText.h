#pragma once

// Texts the service windows share.
inline constexpr char LINK_CLOSED_MESSAGE[] =
    "Serial 통신이 초기화되지 못했습니다.\nTarget메뉴에서 connect해 주십시요";
