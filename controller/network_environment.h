#pragma once

#include "controller/main_controller.h"

// Where a run's network lives, from the environment, so that several
// machines can be played on one host and tests can point the share tables
// at their own files:
//   CORVANE_BIND_ADDRESS  local address every socket binds to (e.g. 127.0.0.2)
//   CORVANE_NET_PORT      the protocol's port instead of 5150
//   CORVANE_MOUNTINFO, CORVANE_SMB_CONF, CORVANE_USERSHARES
//                         the mount table, Samba configuration and user-share
//                         folder the network paths are resolved through
// Applies the share tables and returns the socket options.
MainController::NetworkOptions NetworkFromEnvironment();
