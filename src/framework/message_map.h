// Message maps: a dialog lists the messages it handles as a short table of (message, control id,
// handler) entries with typed handlers; everything not listed goes to the dialog manager.
//
//     MessageMap MyDialog::GetMessageMap() const {
//         static constexpr MessageMapEntry kMap[] = {
//             msgmap::Timer<&MyDialog::OnTimer>(),
//             msgmap::ButtonClicked<IDC_BROWSE, &MyDialog::OnBrowse>(),
//         };
//         return kMap;
//     }
#pragma once

#include "framework/app.h"

#include <span>

struct MessageMapEntry {
    UINT message;
    // For WM_COMMAND: the notification code and the control id the entry is for.
    UINT code;
    UINT id;
    // Unpacks the parameters and calls the handler; the result is the message's result.
    LRESULT (*invoke)(CWnd& window, WPARAM wParam, LPARAM lParam);
};

using MessageMap = std::span<const MessageMapEntry>;

namespace msgmap {

template <typename Member>
struct ClassOf;
template <typename Class, typename Function>
struct ClassOf<Function Class::*> {
    using Type = Class;
};
template <auto Handler>
using HandlerClass = typename ClassOf<decltype(Handler)>::Type;

// WM_SYSCOMMAND: void OnSysCommand(UINT nID, LPARAM lParam)
template <auto Handler>
constexpr MessageMapEntry SysCommand() {
    return {WM_SYSCOMMAND, 0, 0, [](CWnd& window, WPARAM wParam, LPARAM lParam) -> LRESULT {
                (static_cast<HandlerClass<Handler>&>(window).*Handler)(static_cast<UINT>(wParam),
                                                                       lParam);
                return 0;
            }};
}

// WM_PAINT: void OnPaint()
template <auto Handler>
constexpr MessageMapEntry Paint() {
    return {WM_PAINT, 0, 0, [](CWnd& window, WPARAM, LPARAM) -> LRESULT {
                (static_cast<HandlerClass<Handler>&>(window).*Handler)();
                return 0;
            }};
}

// WM_QUERYDRAGICON: HCURSOR OnQueryDragIcon()
template <auto Handler>
constexpr MessageMapEntry QueryDragIcon() {
    return {WM_QUERYDRAGICON, 0, 0, [](CWnd& window, WPARAM, LPARAM) -> LRESULT {
                return reinterpret_cast<LRESULT>(
                    (static_cast<HandlerClass<Handler>&>(window).*Handler)());
            }};
}

// WM_TIMER: void OnTimer(UINT_PTR nIDEvent)
template <auto Handler>
constexpr MessageMapEntry Timer() {
    return {
        WM_TIMER, 0, 0, [](CWnd& window, WPARAM wParam, LPARAM) -> LRESULT {
            (static_cast<HandlerClass<Handler>&>(window).*Handler)(static_cast<UINT_PTR>(wParam));
            return 0;
        }};
}

// WM_COMMAND with BN_CLICKED from control `Id`: void OnClicked()
template <UINT Id, auto Handler>
constexpr MessageMapEntry ButtonClicked() {
    return {WM_COMMAND, BN_CLICKED, Id, [](CWnd& window, WPARAM, LPARAM) -> LRESULT {
                (static_cast<HandlerClass<Handler>&>(window).*Handler)();
                return 0;
            }};
}

}  // namespace msgmap
