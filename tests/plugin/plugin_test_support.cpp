#include "plugin_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <stdexcept>

#include "cadhost/app/host_registration.h"
#include "cadhost/app/variable_commands.h"
#include "cadhost/dxf_test_support.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/xref/host_search.h"
#include "platform/registry.h"

namespace plugintest {

using lnkhold::DialogOption;

bool RecordingView::isChecked(DialogOption option) const {
    auto found = checks.find(option);
    return found != checks.end() && found->second;
}

void RecordingView::setChecked(DialogOption option, bool checked) {
    checks[option] = checked;
}

void RecordingView::setInsertionLayer(int index) {
    insertionLayer_ = index >= 0 && index <= 2 ? index : -1;
}

void RecordingView::setItemSelected(int position, bool select) {
    const auto found = std::find(selected.begin(), selected.end(), position);
    if (select == (found != selected.end())) {
        return;
    }
    if (select) {
        selected.insert(std::upper_bound(selected.begin(), selected.end(), position), position);
    } else {
        selected.erase(found);
    }
    ++selectionChanges;
}

namespace {

void writeString(platform::HKEY root, const std::string& key, const char* name,
                 const std::string& value) {
    platform::HKEY handle = nullptr;
    ASSERT_EQ(platform::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, platform::KEY_WRITE,
                                        nullptr, &handle, nullptr),
              platform::ERROR_SUCCESS);
    platform::RegSetValueExA(handle, name, 0, platform::REG_SZ,
                             reinterpret_cast<const platform::BYTE*>(value.c_str()),
                             static_cast<platform::DWORD>(value.size() + 1));
    platform::RegCloseKey(handle);
}

}  // namespace

void HostFixture::SetUp() {
    static const bool variablesAdded = [] {
        cadhost::app::addHostVariables();
        return true;
    }();
    ASSERT_TRUE(variablesAdded);
    fixtures_ = std::make_unique<xreftest::XrefFixtures>();
    ASSERT_EQ(cadhost::app::registerHost(), "");
    writeString(platform::HKEY_CURRENT_USER, cadhost::app::profileKey() + "\\General", "ACAD",
                hostPath("support"));
}

void HostFixture::TearDown() {
    xrefs_.reset();
    while (acDocManagerPtr()->documentCount() > 0) {
        std::unique_ptr<AcApDocumentIterator> it(acDocManagerPtr()->newAcApDocumentIterator());
        acDocManagerPtr()->closeDocument(it->document(), false);
    }
}

AcApDocument* HostFixture::open(const std::string& relative) {
    AcApDocument* document = acDocManagerPtr()->openDocument(hostPath(relative), false);
    if (!document) {
        throw std::runtime_error("cannot open " + relative);
    }
    acDocManagerPtr()->makeCurrent(document);
    reloadXrefs();
    return document;
}

AcDbDatabase* HostFixture::drawing() const {
    return acdbHostApplicationServices()->workingDatabase();
}

void HostFixture::reloadXrefs() {
    if (cadhost::xref::DrawingXrefs* existing = cadhost::xref::DrawingXrefs::of(drawing());
        existing && existing != xrefs_.get()) {
        existing->update();  // the host keeps this drawing's xrefs itself
        return;
    }
    xrefs_.reset();
    xrefs_ = cadhost::xref::openDrawingXrefs(*drawing());
}

void HostFixture::setProject(const std::string& name, const std::string& refSearchPath) {
    ASSERT_EQ(drawing()->setProjectName(name.c_str()), Acad::eOk);
    writeString(platform::HKEY_CURRENT_USER,
                cadhost::app::profileKey() + "\\Project Settings\\" + name, "RefSearchPath",
                refSearchPath);
}

void setFileTime(const std::filesystem::path& file, std::int64_t localSeconds) {
    const timespec times[2] = {{static_cast<time_t>(localSeconds), 0},
                               {static_cast<time_t>(localSeconds), 0}};
    if (::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) {
        throw std::runtime_error("cannot set the time of " + file.string());
    }
}

std::string runScript(const std::string& script, const std::vector<std::string>& arguments) {
    int status = 0;
    std::string output = dxftest::runPython(
        (std::filesystem::path(PLUGIN_TEST_SOURCE_DIR) / script).string(), arguments, status);
    if (status != 0) {
        throw std::runtime_error(script + " failed: " + output);
    }
    return output;
}

}  // namespace plugintest
