#include "uHelpService.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <algorithm>
#include <filesystem>

#include "ModuleLoader.h"
#include "uPlComComun.h"

namespace {

bool IsTopicName(const std::string& topic) {
    return !topic.empty() && std::all_of(topic.begin(), topic.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
}

} // namespace

THelpService::THelpService(std::string folder)
    : folder_(folder.empty() ? ControlFolder() : std::move(folder)) {}

std::string THelpService::PageOf(const std::string& topic) const {
    if (!IsTopicName(topic)) return {};
    return JoinPath(folder_, "help/" + topic + ".html");
}

bool THelpService::ShowTopic(const std::string& topic) {
    const std::string page = PageOf(topic);
    std::error_code error;
    if (page.empty() || !std::filesystem::is_regular_file(page, error)) return false;
    OpenPage(page);
    return true;
}

void THelpService::OpenPage(const std::string& path) {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
}
