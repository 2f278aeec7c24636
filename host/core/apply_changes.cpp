#include "apply_changes.h"

#include "client_table.h"
#include "dialogs.h"
#include "host_services.h"
#include "net_connection.h"

#include <algorithm>

bool ApplyChanges(TNetConnection &net, TClientTable &table, const QString &method, const ApplyOptions &options) {
    if (table.ChangeCount() == 0) return false;
    {
        WaitAnimation wait(options.waitOver, options.wait);
        QVector<RpcArg> args(std::max(options.argumentCount, options.deltaPosition + 1), RpcArg(nullptr));
        args[options.deltaPosition] = RpcArg(table.GetDelta());
        CheckResultServ(net.Call(method, args), true, 0);
    }
    if (table.LogChanges) table.MergeChangeLog();
    if (!options.staleCaches.isEmpty()) AtualizaLocalCache(options.staleCaches);
    return true;
}
