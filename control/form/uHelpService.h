// The control's help: pages named "help/<topic>.html" in the folder of the
// control's module, opened in the desktop's browser. A topic without a page
// opens nothing, as a help file without the topic would. The dialogs' help
// buttons and the form's Help menu all ask through one service, which tests
// replace to record the topics asked for. User-interface thread.
#pragma once

#include <functional>
#include <string>

// The help contents (the menu's "&Help Topics"), and the key mapping topic.
inline constexpr char kHelpContentsTopic[] = "contents";
inline constexpr char kKeyboardMappingTopic[] = "m_km";

class THelpService {
public:
    // The folder that holds "help/"; empty means the control's own folder.
    explicit THelpService(std::string folder = {});
    virtual ~THelpService() = default;

    void ShowContents() { ShowTopic(kHelpContentsTopic); }
    // True when the topic's page exists and was handed to the browser.
    virtual bool ShowTopic(const std::string& topic);
    // The page of a topic; empty for a name that is not a plain topic name
    // (letters, digits, '_' and '-'), so that no topic reaches outside "help/".
    std::string PageOf(const std::string& topic) const;

    // For the dialogs' ShowHelp hooks; the service outlives the dialogs.
    std::function<void(const std::string&)> Hook() {
        return [this](const std::string& topic) { ShowTopic(topic); };
    }

protected:
    // Hands an existing page to the desktop's browser.
    virtual void OpenPage(const std::string& path);

private:
    std::string folder_;
};
