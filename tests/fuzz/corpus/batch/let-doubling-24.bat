:let v23 $v22$$v22$
:let v22 $v21$$v21$
:let v21 $v20$$v20$
:let v20 $v19$$v19$
:let v19 $v18$$v18$
:let v18 $v17$$v17$
:let v17 $v16$$v16$
:let v16 $v15$$v15$
:let v15 $v14$$v14$
:let v14 $v13$$v13$
:let v13 $v12$$v12$
:let v12 $v11$$v11$
:let v11 $v10$$v10$
:let v10 $v9$$v9$
:let v9 $v8$$v8$
:let v8 $v7$$v7$
:let v7 $v6$$v6$
:let v6 $v5$$v5$
:let v5 $v4$$v4$
:let v4 $v3$$v3$
:let v3 $v2$$v2$
:let v2 $v1$$v1$
:let v1 $v0$$v0$
:let v0 abcdefgh
:echo $v23$
seek_image $v23$
:echo after
