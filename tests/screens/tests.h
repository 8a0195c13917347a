#pragma once
// The screen test classes; main.cpp runs them one after another.
#include <QObject>
#include <QString>
#include <QTest>

#include <string>

namespace QTest {
// Shows the exact text, trailing blanks included, when a comparison fails.
inline char* toString(const std::string& s) { return QTest::toString(QString::fromStdString("[" + s + "]")); }
}  // namespace QTest

namespace orvex::screens::test {

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initialState();
    void programNameKeys();
    void connectRules_data();
    void connectRules();
    void incompleteSettings();
    void connectLogon();
    void checkName();
    void exitAboutAndClose();
};

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void loadSaveCancel();
    void unwritableFileIsReported();
};

class TestSplash : public QObject {
    Q_OBJECT
private slots:
    void startAndAbout();
};

class TestTables : public QObject {
    Q_OBJECT
private slots:
    void firstListAndSearch();
    void chooseAndRemove();
    void failuresAndBack();
};

class TestFields : public QObject {
    Q_OBJECT
private slots:
    void listAndPick();
    void removeAndRelist();
    void failedDictionaryCall();
};

class TestSelectionScreen : public QObject {
    Q_OBJECT
private slots:
    void entriesAndSettingsTexts();
    void parallelSelectionAndRemove();
};

class TestConditions : public QObject {
    Q_OBJECT
private slots:
    void operatorNeedsField();
    void mappingRecordsCondition();
    void badRightSidesKeepListsParallel_data();
    void badRightSidesKeepListsParallel();
    void removeAndBack();
    void preview();
};

class TestWizard : public QObject {
    Q_OBJECT
private slots:
    void foldBackAfterCreation();
    void realModalChain();
    void failedCreationKeepsDesign();
    void designRoundTrip();
    void badDesignFile();
    void endToEndSandbox();
    void endToEndServed();
};

}  // namespace orvex::screens::test
