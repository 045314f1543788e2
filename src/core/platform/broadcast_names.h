// The broadcast messages between this program and its companions, and where on the session bus they travel.
#pragma once

namespace pelldra::broadcast {

// The message names that every participant knows.
inline constexpr const char* kSelfCall = "SelfCall->Pelldra";    // a second start asks the running one to come up
inline constexpr const char* kToHelper = "Pelldra->pdrHelper";   // LinkScout: show the URL handed over
inline constexpr const char* kFromHelper = "pdrHelper->Pelldra"; // LinkScout has an order
inline constexpr const char* kBossCome = "Pelldra-BossCome";     // boss key: everyone hides
inline constexpr const char* kPopUp = "Pelldra-PopUp";           // the main window was brought up

// Every participant emits and listens to one signal on the session bus:
//     path /jp/tavin/Broadcast, interface jp.tavin.Broadcast, signal Message(s)
// with the message's exact name as its single string argument, e.g. from a shell:
//     dbus-send --session --type=signal /jp/tavin/Broadcast jp.tavin.Broadcast.Message string:'Pelldra-BossCome'
inline constexpr const char* kBusPath = "/jp/tavin/Broadcast";
inline constexpr const char* kBusInterface = "jp.tavin.Broadcast";
inline constexpr const char* kBusSignal = "Message";

} // namespace pelldra::broadcast
