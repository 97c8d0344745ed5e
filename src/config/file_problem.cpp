#include "config/file_problem.h"

namespace kavri {

std::string_view file_problem_text(FileProblem problem) {
  switch (problem) {
    case FileProblem::none:
      return "was read";
    case FileProblem::missing:
      return "does not exist";
    case FileProblem::not_a_file:
      return "is not a regular file";
    case FileProblem::unreadable:
      return "cannot be read";
    case FileProblem::too_large:
      return "is larger than 16 MiB";
    case FileProblem::not_text:
      return "is not the UTF-16 text that its first bytes announce";
  }
  return "cannot be read";
}

std::string_view file_problem_text_fr(FileProblem problem) {
  switch (problem) {
    case FileProblem::too_large:
      return " (plus de 16 Mio)";
    case FileProblem::not_a_file:
      return " (ce n'est pas un fichier)";
    case FileProblem::not_text:
      return " (UTF-16 invalide)";
    default:
      return "";
  }
}

}  // namespace kavri
