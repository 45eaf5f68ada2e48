<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="de_DE">
<context>
    <name>CDebugQuorlin70</name>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="66" />
        <source>Set Values 70</source>
        <translation>Werte setzen 70</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="69" />
        <source>DIP Switch:</source>
        <translation>DIP-Schalter:</translation>
    </message>
</context>
<context>
    <name>CDebugVentaro100</name>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="70" />
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="71" />
        <source>Tick+</source>
        <translation>Schritt+</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="72" />
        <source>Tick-</source>
        <translation>Schritt-</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="73" />
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="97" />
        <source>Set Values 100</source>
        <translation>Werte setzen 100</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="100" />
        <source>DIP Switch:</source>
        <translation>DIP-Schalter:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="112" />
        <source>First Room Off</source>
        <translation>Erster Raum aus</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="112" />
        <source>Power Line</source>
        <translation>Netzleitung</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="120" />
        <source>Operation Mode:</source>
        <translation>Betriebsart:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="121" />
        <source>Hum.Reduction</source>
        <translation>Feuchteabbau</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="125" />
        <source>Get Vent Info</source>
        <translation>Klappeninfo lesen</translation>
    </message>
</context>
<context>
    <name>CDebugWidget</name>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="73" />
        <source>Dump Address:</source>
        <translation>Speicheradresse:</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="84" />
        <source>Secondary Log:</source>
        <translation>Sekundärlog:</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="115" />
        <source>Test case:</source>
        <translation>Testfall:</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="123" />
        <source>Automatic Test Mode</source>
        <translation>Automatischer Testmodus</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="191" />
        <source>Confirm Erasing Log</source>
        <translation>Löschen des Logs bestätigen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="192" />
        <source>The secondary log "%1" will be deleted</source>
        <translation>Das Sekundärlog "%1" wird gelöscht</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_testfile.cpp" line="32" />
        <location filename="../src/console/debugwidget_testfile.cpp" line="52" />
        <source>Unable to open file '%1'</source>
        <translation>Die Datei '%1' kann nicht geöffnet werden</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_testfile.cpp" line="38" />
        <source>Unable to read CSV file '%1'</source>
        <translation>Die CSV-Datei '%1' kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_testfile.cpp" line="61" />
        <source>Unable to write CSV file '%1'</source>
        <translation>Die CSV-Datei '%1' kann nicht geschrieben werden</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_testfile.cpp" line="72" />
        <source>Missing column in test file ('%1').</source>
        <translation>Fehlende Spalte in der Testdatei ('%1').</translation>
    </message>
</context>
<context>
    <name>CMainDialogNew</name>
    <message>
        <location filename="../src/app/maindialognew.cpp" line="78" />
        <source>-%1</source>
        <translation>-%1</translation>
    </message>
    <message>
        <location filename="../src/app/maindialognew_discovery.cpp" line="89" />
        <source>- Communication failed (corrupted sender address) - </source>
        <translation>- Kommunikation fehlgeschlagen (fehlerhafte Absenderadresse) - </translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <location filename="../src/app/main.cpp" line="58" />
        <source>An instance of Update-ventaro100 or ventaro-Connect is already running.
It is not possible to run more than one of those applications at the same time.</source>
        <translation>Update-ventaro100 oder ventaro-Connect läuft bereits.
Es kann immer nur eine dieser Anwendungen gleichzeitig laufen.</translation>
    </message>
    <message>
        <location filename="../src/app/main.cpp" line="67" />
        <source>The command line to start this application contains unrecognized parameters:
%1
They are ignored.</source>
        <translation>Die Befehlszeile dieser Anwendung enthält unbekannte Parameter:
%1
Sie werden ignoriert.</translation>
    </message>
    <message>
        <location filename="../src/app/main.cpp" line="76" />
        <source>Unable to load translations for locale '%1'.</source>
        <translation>Die Übersetzungen für die Sprache '%1' können nicht geladen werden.</translation>
    </message>
</context>
</TS>