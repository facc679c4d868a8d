#pragma once

// Points the network-path mapping at other tables when the environment names
// them, so that several machines can be played on one host and tests can use
// files of their own: CORVANE_MOUNTINFO (the mount table), CORVANE_SMB_CONF
// (the Samba configuration) and CORVANE_USERSHARES (the user-share folder).
void UncTablesFromEnvironment();
