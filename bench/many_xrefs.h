#pragma once
// A drawing with many xrefs whose files lie in project folders (half stored with their full
// path, half as bare names only the project's search path finds), opened as the host's current
// document with its xrefs loaded, in a throwaway prefix. Made by make_many_xrefs.py (ezdxf).

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "cadhost/app/host_registration.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/xref/drawing_xrefs.h"
#include "cadhost/xref/host_search.h"
#include "platform/host_path.h"
#include "platform/registry.h"
#include "support/temp_prefix.h"

namespace bench {

struct ManyXrefs {
    ManyXrefs(int count, int folders) {
        const std::filesystem::path folder = prefix.scratch() / "many";
        hostFolder = platform::nativeToHost(folder);
        const std::string command =
            "/usr/bin/python3 '" +
            (std::filesystem::path(__FILE__).parent_path() / "make_many_xrefs.py").string() +
            "' '" + folder.string() + "' '" + hostFolder + "' " + std::to_string(count) + " " +
            std::to_string(folders);
        if (std::system(command.c_str()) != 0 || cadhost::app::registerHost() != "") {
            throw std::runtime_error("cannot set up the drawing");
        }
        for (int i = 0; i < folders; ++i) {
            projectFolders += hostFolder + "\\p" + std::to_string(i) + ";";
        }
        document = acDocManagerPtr()->openDocument(hostFolder + "\\host.dxf", false);
        if (!document) {
            throw std::runtime_error("cannot open the drawing");
        }
        acDocManagerPtr()->makeCurrent(document);
        // The drawing's project, whose reference search path lists the project folders.
        document->database()->setProjectName("many");
        platform::HKEY key = nullptr;
        const std::string path = cadhost::app::profileKey() + "\\Project Settings\\many";
        platform::RegCreateKeyExA(platform::HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                  platform::KEY_WRITE, nullptr, &key, nullptr);
        platform::RegSetValueExA(key, "RefSearchPath", 0, platform::REG_SZ,
                                 reinterpret_cast<const platform::BYTE*>(projectFolders.c_str()),
                                 static_cast<platform::DWORD>(projectFolders.size() + 1));
        platform::RegCloseKey(key);
        xrefs = cadhost::xref::openDrawingXrefs(*document->database());
        lastFolder = hostFolder + "\\p" + std::to_string(folders - 1);
    }

    testsupport::TempPrefix prefix;
    std::string hostFolder;
    std::string projectFolders;
    std::string lastFolder;
    AcApDocument* document = nullptr;
    std::unique_ptr<cadhost::xref::DrawingXrefs> xrefs;
};

}  // namespace bench
