// The seeds of the byte-stream fuzz targets are real messages as they cross
// the wire. This hidden mode writes them from the messages the tests use: run
// reliability_tests with PALINDOR_CORPUS_DIR=fuzz/corpus and
// --gtest_also_run_disabled_tests --gtest_filter='CorpusSeeds.DISABLED_*'.
// The replay of the committed corpora (fuzz_replay_* tests) keeps them honest.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <string>
#include <vector>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"

namespace {

std::string Bytes(net::MessageWriter& w, net::Primary primary, net::Secondary secondary,
                  uint8_t keySeed) {
    net::MessageKey key{};
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(keySeed * 31 + i * 7);
    auto m = w.Finish(primary, secondary);
    if (!m) return {};
    // Re-finished with a fixed key, so that a rewrite gives the same files.
    m->Unscramble(m->remaining);
    m->Finish(+primary, +secondary, m->remaining, key);
    return std::string(reinterpret_cast<const char*>(m->data), static_cast<size_t>(m->remaining));
}

bool Save(const QString& dir, const char* target, const char* name, const std::string& bytes) {
    const QString folder = QDir(dir).filePath(target);
    QDir().mkpath(folder);
    QFile f(QDir(folder).filePath(name));
    return f.open(QIODevice::WriteOnly) &&
           f.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

TEST(CorpusSeeds, DISABLED_WriteStreamSeeds) {
    const QString dir = qEnvironmentVariable("PALINDOR_CORPUS_DIR");
    ASSERT_FALSE(dir.isEmpty()) << "set PALINDOR_CORPUS_DIR";
    using net::Primary;
    using net::Secondary;
    std::vector<std::pair<const char*, std::string>> seeds;
    {
        net::MessageWriter w(net::login::kLogin);
        w.Int(2).Str("1234567").Int(0).Str("alice").Str("alicepass").Str(
            "0f3c1a52-8d6e-4b7a-9c21-5e4d3b2a1f00");
        seeds.push_back({"login", Bytes(w, Primary::Login, Secondary::Message, 1)});
    }
    {
        net::MessageWriter w(net::login::kLoginOK);
        w.Int(1).Int(0);
        seeds.push_back({"login-ok", Bytes(w, Primary::Login, Secondary::Response, 2)});
    }
    {
        net::MessageWriter w(net::control::kNotifyDisconnect);
        w.Int(1).Int(1).Int(6).Str("Wrong password");
        seeds.push_back({"disconnect", Bytes(w, Primary::Control, Secondary::Notification, 3)});
    }
    {
        net::MessageWriter w(net::control::kKeepAlive);
        seeds.push_back({"keep-alive", Bytes(w, Primary::Control, Secondary::Message, 4)});
    }
    {
        net::MessageWriter w(net::download::kStart);
        w.Int(1).Int(5000);
        const std::string data(5000, 'd');
        w.Raw(data.data(), static_cast<int>(data.size()));
        seeds.push_back({"download-start", Bytes(w, Primary::Download, Secondary::Response, 5)});
    }
    {
        net::MessageWriter w(net::network::kInformationResponse);
        w.Str("Demo Network").Int(5).Int(2).Str("now").Str("/").Int(0).Int(2048).Int(0).Str(
            "notes").Str("today");
        seeds.push_back({"network-info", Bytes(w, Primary::Network, Secondary::Response, 6)});
    }
    std::string all;
    for (const auto& [name, bytes] : seeds) {
        ASSERT_FALSE(bytes.empty()) << name;
        all += bytes;
        ASSERT_TRUE(Save(dir, "stream_fuzz", name, bytes));
        ASSERT_TRUE(Save(dir, "dump_fuzz", name, bytes));
    }
    // One stream of them all, and one cut in the middle of a message.
    ASSERT_TRUE(Save(dir, "stream_fuzz", "conversation", all));
    ASSERT_TRUE(Save(dir, "dump_fuzz", "conversation", all));
    ASSERT_TRUE(Save(dir, "stream_fuzz", "conversation-cut", all.substr(0, all.size() - 20)));
    ASSERT_TRUE(Save(dir, "dump_fuzz", "conversation-cut", all.substr(0, all.size() - 20)));
}

}  // namespace
