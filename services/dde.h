// DDE server name and requests. The transport belongs to the window
// system, which here has no lookup of a window by name: an instance always
// takes the first name, a hand-over fails and every request answers -2097.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int32_t kDdeNoServer = -2097;  // "Unable to connect to DDE server"

// "Zorvex", then "Zorvex 2" .. "Zorvex 100": the first that `taken` says
// no to; "Zorvex 100" when all are taken.
std::string dde_first_free_name(bool (*taken)(std::string_view name));
// The first name no window has, as the window system finds windows (none).
std::string dde_pick_server_name();
// Chooses the name once, while it is empty; 0.
int32_t dde_init_server_name();
const std::string& dde_server_name();
void dde_reset_server_name();
int32_t dde_connect(std::string_view server, std::string_view command);
int32_t dde_execute(std::string_view server, std::string_view topic, std::string_view command, int32_t timeout_ms);
int32_t dde_request(std::string_view server, std::string_view topic, std::string_view item, int32_t timeout_ms,
                    char option, std::string* answer);

// ext 192 and 195.
void bi_dde_execute();
void bi_dde_request();
