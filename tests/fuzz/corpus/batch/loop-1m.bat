:for i XX 1 1000000
:echo line XX
:next i
