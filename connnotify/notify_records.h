// The records and entry points of a connection notifier: the router calls AddConnectNotify and
// CancelConnectNotify of every registered notifier before and after it adds or cancels a network
// connection. Shared by the notifier and the router that loads it.
#pragma once

#include "platform/win32/wintypes.h"

inline constexpr DWORD WN_SUCCESS = 0;

// NOTIFYINFO.dwNotifyStatus
inline constexpr DWORD NOTIFY_PRE = 0x00000001;
inline constexpr DWORD NOTIFY_POST = 0x00000002;

// NETRESOURCE.dwScope
inline constexpr DWORD RESOURCE_CONNECTED = 0x00000001;
inline constexpr DWORD RESOURCE_GLOBALNET = 0x00000002;
inline constexpr DWORD RESOURCE_CONTEXT = 0x00000005;

// NETRESOURCE.dwType
inline constexpr DWORD RESOURCETYPE_ANY = 0x00000000;
inline constexpr DWORD RESOURCETYPE_DISK = 0x00000001;
inline constexpr DWORD RESOURCETYPE_PRINT = 0x00000002;

// NETRESOURCE.dwDisplayType
inline constexpr DWORD RESOURCEDISPLAYTYPE_GENERIC = 0x00000000;
inline constexpr DWORD RESOURCEDISPLAYTYPE_DOMAIN = 0x00000001;
inline constexpr DWORD RESOURCEDISPLAYTYPE_SERVER = 0x00000002;
inline constexpr DWORD RESOURCEDISPLAYTYPE_SHARE = 0x00000003;
inline constexpr DWORD RESOURCEDISPLAYTYPE_NETWORK = 0x00000006;
inline constexpr DWORD RESOURCEDISPLAYTYPE_DIRECTORY = 0x00000009;

// NETRESOURCE.dwUsage
inline constexpr DWORD RESOURCEUSAGE_CONNECTABLE = 0x00000001;
inline constexpr DWORD RESOURCEUSAGE_CONTAINER = 0x00000002;
inline constexpr DWORD RESOURCEUSAGE_NOLOCALDEVICE = 0x00000004;
inline constexpr DWORD RESOURCEUSAGE_SIBLING = 0x00000008;
inline constexpr DWORD RESOURCEUSAGE_ATTACHED = 0x00000010;

// NOTIFYADD.dwAddFlags
inline constexpr DWORD CONNECT_UPDATE_PROFILE = 0x00000001;
inline constexpr DWORD CONNECT_UPDATE_RECENT = 0x00000002;
inline constexpr DWORD CONNECT_TEMPORARY = 0x00000004;
inline constexpr DWORD CONNECT_INTERACTIVE = 0x00000008;
inline constexpr DWORD CONNECT_PROMPT = 0x00000010;

struct NETRESOURCEW {
  DWORD dwScope;
  DWORD dwType;
  DWORD dwDisplayType;
  DWORD dwUsage;
  LPWSTR lpLocalName;  // each of the four may be null
  LPWSTR lpRemoteName;
  LPWSTR lpComment;
  LPWSTR lpProvider;
};
using NETRESOURCE = NETRESOURCEW;
using LPNETRESOURCEW = NETRESOURCEW*;

struct NOTIFYINFO {
  DWORD dwNotifyStatus;     // NOTIFY_PRE, NOTIFY_POST
  DWORD dwOperationStatus;  // the operation's result, meaningful on NOTIFY_POST
  LPVOID lpContext;         // set by the notifier on Pre, handed back unchanged on Post
};
using LPNOTIFYINFO = NOTIFYINFO*;

struct NOTIFYADD {
  HWND hwndOwner;
  NETRESOURCEW NetResource;
  DWORD dwAddFlags;
};
using LPNOTIFYADD = NOTIFYADD*;

struct NOTIFYCANCEL {
  LPWSTR lpName;      // may be null
  LPWSTR lpProvider;  // may be null
  DWORD dwFlags;      // bit 0: also removed from the persistent connections
  BOOL fForce;
};
using LPNOTIFYCANCEL = NOTIFYCANCEL*;

// The notifier's exports, looked up by these undecorated names; both return WN_SUCCESS to let
// the operation go ahead.
using PF_AddConnectNotify = DWORD (*)(LPNOTIFYINFO, LPNOTIFYADD);
using PF_CancelConnectNotify = DWORD (*)(LPNOTIFYINFO, LPNOTIFYCANCEL);
inline constexpr const char* kAddConnectNotifyName = "AddConnectNotify";
inline constexpr const char* kCancelConnectNotifyName = "CancelConnectNotify";
