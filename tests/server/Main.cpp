#include <QCoreApplication>
#include <gtest/gtest.h>

#include "server/core/EpollDispatcher.h"

// The local network's tests run on the loop the server itself runs on.
int main(int argc, char** argv) {
    auto* dispatcher = new localnet::EpollDispatcher;
    if (!dispatcher->Valid()) return 2;
    QCoreApplication::setEventDispatcher(dispatcher);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
