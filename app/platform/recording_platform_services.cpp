#include "app/platform/recording_platform_services.h"

namespace varnholt {

std::optional<QString> RecordingPlatformServices::ExecuteOpenDialog(QWidget*, const OpenDialogRequest& request) {
  open_dialog_requests.push_back(request);
  if (open_dialog_answers.empty()) return std::nullopt;
  // Taken apart rather than copied whole: GCC misreads a copied optional<QString> as uninitialised.
  const bool chosen = open_dialog_answers.front().has_value();
  const QString path = open_dialog_answers.front().value_or(QString());
  open_dialog_answers.pop_front();
  if (!chosen) return std::nullopt;
  return path;
}

QString RecordingPlatformServices::BrowseForFolder(const QString& text) {
  folder_prompts.push_back(text);
  if (folder_answers.empty()) return QString();
  QString answer = folder_answers.front();
  folder_answers.pop_front();
  return answer;
}

void RecordingPlatformServices::ShowError(QWidget*, const QString& text) {
  boxes.push_back({BoxKind::kError, text});
  if (on_box) on_box(boxes.back());
}

void RecordingPlatformServices::ShowMessage(QWidget*, const QString& text) {
  boxes.push_back({BoxKind::kMessage, text});
  if (on_box) on_box(boxes.back());
}

std::optional<QString> RecordingPlatformServices::AskTablePassword(QWidget*, const QString& table_name) {
  password_requests.push_back(table_name);
  if (!password_answer.has_value()) return std::nullopt;
  return *password_answer;
}

QString BoxLine(const QString& text) {
  QString line = text;
  line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  line.replace(u'\r', u' ');
  line.replace(u'\n', u' ');
  return QStringLiteral("box: ") + line;
}

}  // namespace varnholt
