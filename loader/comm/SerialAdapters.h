// The serial adapters plugged into this machine, by the names worth keeping in
// [Ports]: the stable /dev/serial/by-id links, else the kernel's ttyUSB/ttyACM nodes.
#pragma once

#include <string>
#include <vector>

/// Where FindSerialAdapters looks; tests point it at folders of their own.
struct AdapterFolders {
  std::string byId = "/dev/serial/by-id";
  std::string dev = "/dev";
};

/// Every entry of the by-id folder (sorted); when it has none, the ttyUSB* and
/// ttyACM* nodes of the device folder (sorted). Empty when nothing is found.
std::vector<std::string> FindSerialAdapters(const AdapterFolders& folders = {});
