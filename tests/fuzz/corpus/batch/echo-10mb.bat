:let e20 $e19$$e19$
:let e19 $e18$$e18$
:let e18 $e17$$e17$
:let e17 $e16$$e16$
:let e16 $e15$$e15$
:let e15 $e14$$e14$
:let e14 $e13$$e13$
:let e13 $e12$$e12$
:let e12 $e11$$e11$
:let e11 $e10$$e10$
:let e10 $e9$$e9$
:let e9 $e8$$e8$
:let e8 $e7$$e7$
:let e7 $e6$$e6$
:let e6 $e5$$e5$
:let e5 $e4$$e4$
:let e4 $e3$$e3$
:let e3 $e2$$e2$
:let e2 $e1$$e1$
:let e1 $e0$$e0$
:let e0 0123456789
:echo $e20$
:echo $e16$
