// Message boxes and the file and folder choosers: GTK dialogs, each run in GTK's own nested
// loop.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/linux/linux_platform.h"

namespace morvel::linux_backend {

namespace {

constexpr int kChooserWidth = 720;
constexpr int kChooserHeight = 480;  // a window manager puts its frames between

GtkMessageType TypeOf(platform::MessageBoxKind kind) {
    switch (kind) {
        case platform::MessageBoxKind::Information:
            return GTK_MESSAGE_INFO;
        case platform::MessageBoxKind::Warning:
            return GTK_MESSAGE_WARNING;
        case platform::MessageBoxKind::Error:
            return GTK_MESSAGE_ERROR;
        case platform::MessageBoxKind::Confirmation:
            return GTK_MESSAGE_QUESTION;
        case platform::MessageBoxKind::Plain:
            break;
    }
    return GTK_MESSAGE_OTHER;
}

// GTK 3's message dialogs show no icon of their own; the boxes show the kind's, as they do on
// Windows.
const char* IconOf(platform::MessageBoxKind kind) {
    switch (kind) {
        case platform::MessageBoxKind::Information:
            return "dialog-information";
        case platform::MessageBoxKind::Warning:
            return "dialog-warning";
        case platform::MessageBoxKind::Error:
            return "dialog-error";
        case platform::MessageBoxKind::Confirmation:
            return "dialog-question";
        case platform::MessageBoxKind::Plain:
            break;
    }
    return nullptr;
}

GtkWindow* OwnerWindow(Handle owner) {
    auto* widget = reinterpret_cast<GtkWidget*>(owner);
    return owner != 0 && GTK_IS_WINDOW(widget) ? GTK_WINDOW(widget) : nullptr;
}

// A pattern in both cases as well as given: file names here are case-sensitive, the
// patterns were written for a system where they are not.
void AddPatterns(GtkFileFilter* filter, const std::string& patterns) {
    std::stringstream list(patterns);
    std::string pattern;
    while (std::getline(list, pattern, ';')) {
        std::string lower = pattern;
        std::string upper = pattern;
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        gtk_file_filter_add_pattern(filter, pattern.c_str());
        gtk_file_filter_add_pattern(filter, lower.c_str());
        gtk_file_filter_add_pattern(filter, upper.c_str());
    }
}

}  // namespace

gint LinuxPlatform::runDialog(GtkWidget* dialog) {
    host_->raiseBox(dialog);
    runningDialogs_.push_back(dialog);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    std::erase(runningDialogs_, dialog);
    return response;
}

std::optional<std::string> LinuxPlatform::runChooser(GtkWidget* dialog) {
    // A size and place of its own: its saved ones may not fit, and no window manager may
    // be there to place it.
    gtk_window_set_default_size(GTK_WINDOW(dialog), kChooserWidth, kChooserHeight);
    GdkGeometry limit{};
    limit.max_width = kChooserWidth;
    limit.max_height = kChooserHeight;
    gtk_window_set_geometry_hints(GTK_WINDOW(dialog), nullptr, &limit, GDK_HINT_MAX_SIZE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);  // Enter opens
    std::optional<std::string> chosen;
    if (runDialog(dialog) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
            chosen = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(dialog);
    return chosen;
}

void TraceBox(const std::string& caption, const std::string& text) {
    if (std::getenv("MORVEL_TRACE_BOXES") == nullptr) {
        return;
    }
    std::string line = "box: " + caption + ": ";
    for (const char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\\') {
            line += "\\\\";
        } else {
            line += c;
        }
    }
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void LinuxPlatform::messageBox(Handle owner, const std::string& caption, const std::string& text,
                               platform::MessageBoxKind kind) {
    if (host_->logInsteadOfBox(caption, text)) {
        return;
    }
    GtkWidget* box = gtk_message_dialog_new(OwnerWindow(owner), GTK_DIALOG_MODAL, TypeOf(kind),
                                            GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
    if (const char* icon = IconOf(kind)) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), image);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_widget_show(image);
    }
    TraceBox(caption, text);
    // Centred by GTK itself: on a display without a window manager nobody else places it.
    gtk_window_set_position(GTK_WINDOW(box),
                            owner == 0 ? GTK_WIN_POS_CENTER : GTK_WIN_POS_CENTER_ON_PARENT);
    if (owner == 0) {
        // Without an owner it could open behind the topmost saver and leave it looking frozen.
        gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    }
    runDialog(box);
    gtk_widget_destroy(box);
}

std::optional<std::string> LinuxPlatform::openFileDialog(Handle owner,
                                                         const platform::OpenFileRequest& request) {
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(request.title.empty() ? "Open" : request.title.c_str(),
                                    OwnerWindow(owner), GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                    GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    for (const platform::FileFilter& wanted : request.filters) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, wanted.label.c_str());
        AddPatterns(filter, wanted.patterns);
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);  // the first is in force
    }
    if (!request.initialDirectory.empty()) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog),
                                            request.initialDirectory.c_str());
    }
    return runChooser(dialog);
}

std::optional<std::string> LinuxPlatform::folderDialog(Handle owner, const std::string& title,
                                                       const std::string& initialDirectory) {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        title.c_str(), OwnerWindow(owner), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
        GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
    std::error_code error;
    if (!initialDirectory.empty() && std::filesystem::is_directory(initialDirectory, error)) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), initialDirectory.c_str());
    }
    return runChooser(dialog);
}

}  // namespace morvel::linux_backend
