#pragma once

#include <QString>
#include <functional>

class QWidget;
class RegistryReview;
class TDataModule2;
namespace registry {
class Directory;
struct LookupOptions;
} // namespace registry

// 从注册局更新: asks the registries for domains of the portfolio (progress with 取消), lets the user review
// the differences and writes the ticked values after a backup. Nothing is written without the review.
namespace registryupdate {

enum class Scope
{
    Current, // the current domain
    Listed,  // the domains the list holds now (a search, an expiry list)
    All,     // every domain of the portfolio
};

// Returns true when values were written (the list has then been reloaded).
bool run(QWidget* parent, TDataModule2* data, Scope scope);

// "正在查询 123 / 3,000 …"
QString progressText(int done, int total);

// The detail pane's line for a domain: "注册局信息：2026-12-10 查询，状态 ok", or empty.
QString noteFor(const QString& domain);

// --- test seam ---
// The servers asked instead of the shipped ones, and how; cleared with clearTestServers().
void setTestServers(const registry::Directory& directory, const registry::LookupOptions& options);
void clearTestServers();
// Instead of showing the review modally: the hook looks at it (and may tick) and says whether to apply.
void setReviewHook(std::function<bool(RegistryReview&)> hook);

} // namespace registryupdate
