#pragma once

#include <QString>

class UserInterface;
class WordProcessor;

// What the user is told when no word processor can be started.
QString wordMissingMessage();

// The last step of start-up: proves that a word processor can be started and quits
// it again at once. When none can be started, the user is told what to look at and
// the program ends; nothing else ever shows, not even an error report.
void CheckWordInstalled(WordProcessor &word, UserInterface &ui);
