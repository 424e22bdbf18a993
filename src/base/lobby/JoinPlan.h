#pragma once

#include "base/lobby/RoomAddress.h"
#include "base/settings/SourcePortSettings.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a double-click on a room does, decided from plain facts: the row's values, the
// settings the join reads from "vantrel.cfg" and what exists on the disk. The caller carries
// the plan out (log lines, the usermap download, the room window).
namespace vantrell::lobby {

// The values of the double-clicked row, taken when it is double-clicked.
struct JoinRow
{
    std::string ip;
    std::string roomPort;
    std::string sourcePort;
    std::string game;
    std::string map;
    std::string roomName = {};
};

// The keys a join reads. `readable` is false when "vantrel.cfg" exists but could not be
// read; the other values are then ignored. A missing file is readable with every value at
// its default (empty, false).
struct JoinSettings
{
    bool readable = true;
    settings::SourcePortSettings sourcePorts;
};

// Questions about the disk, asked with the paths exactly as configured.
struct JoinDisk
{
    std::function<bool(const std::string&)> isFolder;
    std::function<bool(const std::string&)> isFile;
};

// A usermap to fetch from the web site before the room opens.
struct UsermapDownload
{
    std::string target; // usermaps folder, separator, map name as listed
    std::string url;    // as logged: the map name as listed, unescaped
    std::string host;   // the web site's host
    std::string path;   // web path and map name, unescaped; the request escapes it
    // Nothing is requested and the download counts as failed: the map name is not a plain
    // file name, or the usermaps folder does not exist (an empty folder setting would
    // otherwise put the file at the root of the disk).
    bool refused = false;
};

struct JoinPlan
{
    RoomAddress address;
    // Lobby log lines, in order, up to the download (all of them when there is none).
    std::vector<std::string> logLines;
    std::optional<UsermapDownload> download;
    // Whether the room client window opens once the download, if any, has ended.
    bool openRoom = false;
};

inline constexpr std::string_view kUnreadableConfigLine =
    "There was an error trying to read the vantrel.cfg file!  Try running the program with "
    "Admin Privilages! ";
inline constexpr std::string_view kUsermapDownloadError =
    "An error occured while downloading the usermap file from the website database!!";

// The separator between the usermaps folder and a map name on this platform.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

JoinPlan planJoin(const JoinRow& row, const JoinSettings& settings, const JoinDisk& disk,
                  std::string_view webHost);

// The log line after a usermap download succeeded; size is -1 when it could not be read.
std::string usermapReceivedLine(std::string_view target, long long size);

} // namespace vantrell::lobby
