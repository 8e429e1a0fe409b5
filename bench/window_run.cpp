// Times a window run over many small documents on Qt's offscreen platform. Each written document
// costs its 5 ms pause; the rest, the log above all, must not grow with the log's length.
//
// Usage: bench_window_run [--documents N]

#include <stdlib.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/real_corpus.h"
#include "engine/markers.h"
#include "ui/desktop.h"
#include "ui/qt/qt_main_window.h"

namespace {

class QuietDesktop final : public orba::ui::Desktop {
  public:
    explicit QuietDesktop(std::string folder) : folder_(std::move(folder)) {}
    std::string ApplicationFolder() override { return folder_; }
    std::string ChooseFileToOpen(std::span<const orba::ui::FileFilter>) override { return {}; }
    std::string ChooseFolder(std::string_view) override { return {}; }
    void OpenWebAddress(std::string_view) override {}
    void ShowMessage(std::string_view text) override {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
    void EndProgram() override {}

  private:
    std::string folder_;
};

std::string Document(const std::string& block) {
    return "<html>" + std::string(orba::kStartMarker) + block + std::string(orba::kEndMarker) +
           "</html>";
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int documents = 2000;
    if (argc == 3 && std::string(argv[1]) == "--documents") {
        documents = std::atoi(argv[2]);
    }

    std::string folder = (std::filesystem::temp_directory_path() / "orba-window-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        return 1;
    }
    // The application folder holds the default template and the documents.
    orba::bench::WriteWholeFile(Document("{\"模板\":0}"), folder + "/orba.html");
    for (int i = 0; i < documents; ++i) {
        orba::bench::WriteWholeFile(Document("{\"节点\":" + std::to_string(i) + "}"),
                                    folder + "/文档" + std::to_string(i) + ".html");
    }

    QuietDesktop desktop(folder);
    orba::ui::QtMainWindow window(desktop);
    window.tool().Form_Load();
    window.show();

    const auto start = std::chrono::steady_clock::now();
    window.tool().BT_GO_Click();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::filesystem::remove_all(folder);

    const double floor = documents * 0.005;
    std::printf("documents: %d\n", documents);
    std::printf("run: %.2f s, pauses alone: %.2f s, ratio %.3f (target at most 1.15)\n",
                elapsed.count(), floor, elapsed.count() / floor);
    return 0;
}
