#include "server/Store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSaveFile>

namespace localnet {

namespace {

constexpr char kNetworksFile[] = "networks.json";

QString HashPassword(const QString& salt, const QString& password) {
    return QString::fromLatin1(
        QCryptographicHash::hash((salt + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

QJsonObject ToJson(const Account& a) {
    QJsonObject o;
    o["username"] = a.username;
    o["fullName"] = a.fullName;
    o["salt"] = a.passwordSalt;
    o["passwordHash"] = a.passwordHash;
    o["admin"] = a.admin;
    o["root"] = a.root;
    o["banned"] = a.banned;
    o["created"] = static_cast<double>(a.created);
    o["lastLogin"] = static_cast<double>(a.lastLogin);
    o["identity"] = a.identity;
    return o;
}

bool FromJson(const QJsonObject& o, Account& a) {
    a.username = o["username"].toString();
    a.fullName = o["fullName"].toString();
    a.passwordSalt = o["salt"].toString();
    a.passwordHash = o["passwordHash"].toString();
    a.admin = o["admin"].toBool();
    a.root = o["root"].toBool();
    a.banned = o["banned"].toBool();
    a.created = static_cast<qint64>(o["created"].toDouble(0));
    a.lastLogin = static_cast<qint64>(o["lastLogin"].toDouble(-1));
    a.identity = o["identity"].toString();
    return !a.username.isEmpty() && !a.passwordHash.isEmpty();
}

QJsonObject ToJson(const Network& n) {
    QJsonObject o;
    o["number"] = n.number;
    o["name"] = n.name;
    o["flags"] = n.flags;
    o["creationCode"] = n.creationCode;
    o["accountLimit"] = n.accountLimit;
    o["accountsPerIdentity"] = n.accountsPerIdentity;
    o["bannedIdentities"] = QJsonArray::fromStringList(n.bannedIdentities);
    return o;
}

bool FromJson(const QJsonObject& o, Network& n) {
    n.number = Store::NormalizeNumber(o["number"].toString());
    n.name = o["name"].toString();
    n.flags = o["flags"].toInt(0);
    n.creationCode = o["creationCode"].toString();
    n.accountLimit = o["accountLimit"].toInt(1000);
    n.accountsPerIdentity = o["accountsPerIdentity"].toInt(5);
    for (const auto& v : o["bannedIdentities"].toArray()) n.bannedIdentities << v.toString();
    // The flags travel as 1..3 decimal digits.
    return !n.number.isEmpty() && n.flags >= 0 && n.flags <= 999;
}

bool ReadJson(const QString& path, QJsonDocument& doc, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QString("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parse{};
    doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError) {
        if (error) *error = QString("corrupt file %1: %2").arg(path, parse.errorString());
        return false;
    }
    return true;
}

}  // namespace

void Account::SetPassword(const QString& password) {
    passwordSalt = QString::number(QRandomGenerator::system()->generate64(), 16);
    passwordHash = HashPassword(passwordSalt, password);
}

bool Account::CheckPassword(const QString& password) const {
    return HashPassword(passwordSalt, password) == passwordHash;
}

Account* Network::FindAccount(const QString& username) {
    for (auto& a : accounts)
        if (a.username.compare(username, Qt::CaseInsensitive) == 0) return &a;
    return nullptr;
}

const Account* Network::FindAccount(const QString& username) const {
    return const_cast<Network*>(this)->FindAccount(username);
}

int Network::AccountsOfIdentity(const QString& identity) const {
    if (identity.isEmpty()) return 0;
    int count = 0;
    for (const auto& a : accounts) count += a.identity == identity ? 1 : 0;
    return count;
}

bool Network::IdentityBanned(const QString& identity) const {
    if (identity.isEmpty()) return false;
    if (bannedIdentities.contains(identity)) return true;
    for (const auto& a : accounts)
        if (a.banned && a.identity == identity) return true;
    return false;
}

Store::Store(QString dataDir) : dataDir_(QDir(dataDir).absolutePath()) {}

QString Store::NormalizeNumber(const QString& text) {
    QString digits;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (!(c == '.' && i == 3)) {
            return {};
        }
    }
    return digits.size() == 7 ? digits : QString();
}

QString Store::ResolvePath(const QString& relative) const {
    if (relative.isEmpty() || relative.startsWith('/') || relative.contains('\\') ||
        relative.contains(QChar(0)))
        return {};
    for (const auto& part : relative.split('/'))
        if (part == "..") return {};
    const QString full = QDir::cleanPath(dataDir_ + "/" + relative);
    if (!full.startsWith(dataDir_ + "/")) return {};
    return full;
}

bool Store::WriteFile(const QString& relative, const QByteArray& bytes) const {
    const QString path = ResolvePath(relative);
    if (path.isEmpty()) return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool Store::Load(QString* error) {
    networks_.clear();
    if (!QDir().mkpath(dataDir_)) {
        if (error) *error = "cannot create the data folder " + dataDir_;
        return false;
    }
    const QString path = dataDir_ + "/" + kNetworksFile;
    if (!QFileInfo::exists(path)) return true;
    QJsonDocument doc;
    if (!ReadJson(path, doc, error)) return false;
    for (const auto& v : doc.object()["networks"].toArray()) {
        auto network = std::make_unique<Network>();
        if (!FromJson(v.toObject(), *network) || FindNetwork(network->number)) continue;
        if (!LoadAccounts(*network, error)) return false;
        networks_.push_back(std::move(network));
    }
    return true;
}

bool Store::LoadAccounts(Network& network, QString* error) {
    const QString path = ResolvePath(NetworkFolder(network.number) + "/accounts.json");
    if (!QFileInfo::exists(path)) return true;
    QJsonDocument doc;
    if (!ReadJson(path, doc, error)) return false;
    for (const auto& v : doc.object()["accounts"].toArray()) {
        Account account;
        if (FromJson(v.toObject(), account) && !network.FindAccount(account.username))
            network.accounts.push_back(std::move(account));
    }
    return true;
}

Network* Store::FindNetwork(const QString& number) {
    const QString normal = NormalizeNumber(number);
    if (normal.isEmpty()) return nullptr;
    for (auto& n : networks_)
        if (n->number == normal) return n.get();
    return nullptr;
}

bool Store::SaveNetworks() {
    QJsonArray list;
    for (const auto& n : networks_) list.append(ToJson(*n));
    QJsonObject root;
    root["networks"] = list;
    return WriteFile(kNetworksFile, QJsonDocument(root).toJson());
}

bool Store::SaveAccounts(const Network& network) {
    QJsonArray list;
    for (const auto& a : network.accounts) list.append(ToJson(a));
    QJsonObject root;
    root["accounts"] = list;
    return WriteFile(NetworkFolder(network.number) + "/accounts.json",
                     QJsonDocument(root).toJson());
}

bool Store::AddNetwork(Network network) {
    network.number = NormalizeNumber(network.number);
    if (network.number.isEmpty() || FindNetwork(network.number)) return false;
    networks_.push_back(std::make_unique<Network>(std::move(network)));
    Network& added = *networks_.back();
    if (!SaveAccounts(added) || !SaveNetworks()) {
        networks_.pop_back();
        return false;
    }
    return true;
}

bool Store::AddAccount(Network& network, Account account) {
    if (network.FindAccount(account.username)) return false;
    network.accounts.push_back(std::move(account));
    if (!SaveAccounts(network)) {
        network.accounts.pop_back();
        return false;
    }
    return true;
}

}  // namespace localnet
