// The commands of depthwright-batch: the same readers and writers as the desktop
// program, without a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace batch {

int RunInfo(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
int RunChart(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
int RunRender(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
int RunConvert(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
// The format registry: every format's name, extensions, and whether it is read and written.
int RunFormats(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
// ".gpx, .ht, ..." of every format the registry can write.
std::string WritableExtensions();
// The whole help, or one command's part; false for an unknown command.
bool PrintUsage(std::ostream &out, const std::string &command = {});

} // namespace batch
