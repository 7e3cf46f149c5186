<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>Body</name>
    <message>
        <source>Lumenstack</source>
        <translation>Lumenstack</translation>
    </message>
</context>
</TS>
