Point(1) = {0, 0, 0};

Printf("x=%g", 1) >> "victim.txt";
