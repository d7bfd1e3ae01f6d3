#include "cli/CliCommandTable.h"

#include "cli/CmdMail.h"
#include "cli/CmdShare.h"

namespace solvane::cli {

const std::vector<TCliCommand>& CliCommandTable() {
  static const std::vector<TCliCommand> table = {
      {"backup",
       "  backup PATH...                 back up files and folders (one-off task, kind 100)\n",
       RunBackup},
      {"sync", "  sync FOLDER                    synchronise a folder to the server (kind 200)\n",
       RunSync},
      {"restore",
       "  restore [--kind 100|200] [--to DIR [--flat]] [--overwrite] SERVERPATH...\n"
       "                                 restore to the original place, below DIR, or flat in DIR\n",
       RunRestore},
      {"ls", "  ls [--kind 100|200] [SERVERPATH]  list a server folder\n", RunList},
      {"tasks", "  tasks                          list the user's named tasks\n", RunTasks},
      {"run", "  run TASKID                     start a named task and wait for its end\n",
       RunNamedTask},
      {"daemon",
       "  daemon                         run the user's scheduled tasks until stopped;\n"
       "                                 the task list is reloaded every hour and on\n"
       "                                 SIGHUP; a server that cannot be reached is\n"
       "                                 connected again when it answers\n",
       RunDaemon},
      {"share",
       "  share ls [FOLDERID]            list the share folders, or the files of one\n"
       "  share put FOLDERID FILE...     upload files and folders into a share folder\n"
       "  share get FOLDERID NAME DIR    download a share file into DIR\n"
       "  A protected share folder's password comes from --share-password PW, the\n"
       "  environment variable SOLVANE_SHARE_PASSWORD, or is asked for.\n",
       RunShareCommand},
      {"mail", MailUsage(), RunMailCommand, IsOfflineMailCommand},
      {"trust",
       "  trust HOST:PORT                accept the certificate the server presents now\n"
       "                                 (after its administrator confirmed the fingerprint)\n",
       RunTrust, [](const TCliOptions&) { return true; }},
  };
  return table;
}

const TCliCommand* FindCliCommand(std::string_view name) {
  for (const TCliCommand& c : CliCommandTable())
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace solvane::cli
